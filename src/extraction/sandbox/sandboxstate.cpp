#include "sandboxstate.h"

#include "common/stringtable.h"

#include <QStringList>

#include <cerrno>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

QString SandboxState::missing() const
{
    QStringList absent;
    if (landlockABI < 1)
        absent << StringTable::text("sandbox.noLandlock");
    if (!seccomp)
        absent << StringTable::text("sandbox.noSeccomp");
    return absent.join(QStringLiteral(", "));
}

SandboxState SandboxState::probe()
{
    SandboxState state;
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    state.landlockABI = abi > 0 ? int(abi) : 0;
    // A filter mode the kernel knows fails on the null program (EFAULT); an unknown one with EINVAL.
    state.seccomp = ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, nullptr, 0, 0) != 0 && errno == EFAULT;
    return state;
}
