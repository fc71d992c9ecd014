// Starts the test helper as on a system without Landlock and seccomp: a filter of its own makes
// both unavailable to it, then the helper runs in this process's place.
#include <cerrno>
#include <seccomp.h>
#include <sys/prctl.h>
#include <unistd.h>

int main(int, char *argv[])
{
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(landlock_create_ruleset), 0);
    seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(seccomp), 0);
    seccomp_rule_add(filter, SCMP_ACT_ERRNO(EINVAL), SCMP_SYS(prctl), 1, SCMP_A0(SCMP_CMP_EQ, PR_SET_SECCOMP));
    // Without seccomp here the helper finds no seccomp either.
    seccomp_load(filter);
    ::execv(NAMORIX_EXTRACT_TEST, argv);
    return 1;
}
