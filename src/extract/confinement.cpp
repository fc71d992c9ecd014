#include "confinement.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/landlock.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define NAMORIX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NAMORIX_ADDRESS_SANITIZER 1
#endif
#endif

namespace Confinement {
namespace {

constexpr rlim_t MaxDescriptors = 64;

// Access rights by Landlock version; the headers of older systems know only the first ones.
constexpr __u64 FileSystemV1 = (1ULL << 13) - 1;                             // execute … make symbolic links
constexpr __u64 Refer = 1ULL << 13;                                          // version 2
constexpr __u64 Truncate = 1ULL << 14;                                       // version 3
constexpr __u64 DeviceIoctl = 1ULL << 15;                                    // version 5
constexpr __u64 BindTcp = 1ULL << 0, ConnectTcp = 1ULL << 1;                 // version 4
constexpr __u64 AbstractUnixSockets = 1ULL << 0, OutsideSignals = 1ULL << 1; // version 6
constexpr __u64 ReadFile = LANDLOCK_ACCESS_FS_READ_FILE, ReadFolder = LANDLOCK_ACCESS_FS_READ_DIR;

// The kernel takes the shorter layouts of older versions.
struct RulesetAttributes {
    __u64 handledFileSystem = 0;
    __u64 handledNetwork = 0;
    __u64 scoped = 0;
};

__u64 fileSystemRights(int abi)
{
    __u64 rights = FileSystemV1;
    if (abi >= 2)
        rights |= Refer;
    if (abi >= 3)
        rights |= Truncate;
    if (abi >= 5)
        rights |= DeviceIoctl;
    return rights;
}

// The Landlock version in force afterwards, 0 when none is.
int restrictFileSystem(const QStringList &readable)
{
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1)
        return 0;
    RulesetAttributes attributes;
    attributes.handledFileSystem = fileSystemRights(int(abi));
    size_t size = sizeof(__u64);
    if (abi >= 4) { // no TCP at all: nothing is allowed of what is handled
        attributes.handledNetwork = BindTcp | ConnectTcp;
        size = 2 * sizeof(__u64);
    }
    if (abi >= 6) {
        attributes.scoped = AbstractUnixSockets | OutsideSignals;
        size = sizeof attributes;
    }
    const int ruleset = int(::syscall(SYS_landlock_create_ruleset, &attributes, size, 0));
    if (ruleset < 0)
        return 0;
    for (const QString &tree : readable) {
        const int fd = ::open(QFile::encodeName(tree).constData(), O_PATH | O_CLOEXEC);
        struct stat info = {};
        if (fd < 0 || ::fstat(fd, &info) != 0) {
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        landlock_path_beneath_attr rule = {};
        rule.allowed_access = S_ISDIR(info.st_mode) ? ReadFile | ReadFolder : ReadFile;
        rule.parent_fd = fd;
        ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
        ::close(fd);
    }
    const bool restricted = ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    ::close(ruleset);
    return restricted ? int(abi) : 0;
}

struct Filter {
    scmp_filter_ctx context = seccomp_init(SCMP_ACT_ALLOW);
    bool complete = context != nullptr;

    ~Filter() { seccomp_release(context); }

    void deny(const char *name, int error, std::initializer_list<scmp_arg_cmp> conditions = {})
    {
        const int call = seccomp_syscall_resolve_name(name);
        if (call == __NR_SCMP_ERROR)
            return; // not a system call of this architecture
        if (seccomp_rule_add_array(context, SCMP_ACT_ERRNO(error), call, unsigned(conditions.size()),
                                   conditions.size() ? conditions.begin() : nullptr) != 0)
            complete = false;
    }

    /** `names`: system calls separated by spaces. */
    void denyAll(const char *names, int error)
    {
        for (const QByteArray &name : QByteArray(names).split(' '))
            deny(name.constData(), error);
    }
};

// Everything is allowed but what an exploited parser would want: to reach the network, to run
// or trace another program, to change files. Failures come back as errors, not kills, so that a
// library that merely tries (fontconfig writing its cache) goes on.
bool filterSystemCalls()
{
    Filter filter;
    if (!filter.complete)
        return false;
    // A thread started by a library before the lock gets the filter too.
    seccomp_attr_set(filter.context, SCMP_FLTATR_CTL_TSYNC, 1);
    filter.denyAll("socket socketpair connect bind listen accept accept4 execve execveat", EACCES);
    // Threads only; glibc falls back from clone3, whose flags a filter cannot see, to clone.
    filter.deny("fork", EPERM);
    filter.deny("vfork", EPERM);
    filter.deny("clone", EPERM, {SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0)});
    filter.deny("clone3", ENOSYS);
    filter.denyAll("ptrace process_vm_readv process_vm_writev pidfd_open pidfd_getfd pidfd_send_signal kcmp tkill",
                   EPERM);
    // Signals only to itself (abort() raises one).
    const scmp_datum_t self = scmp_datum_t(::getpid());
    for (const char *call : {"kill", "tgkill", "rt_sigqueueinfo", "rt_tgsigqueueinfo"})
        filter.deny(call, EPERM, {SCMP_A0(SCMP_CMP_NE, self)});
    // Opening for reading only; the descriptor handed in is read-only too.
    for (const scmp_datum_t flag :
         {scmp_datum_t(O_WRONLY), scmp_datum_t(O_RDWR), scmp_datum_t(O_CREAT), scmp_datum_t(O_TRUNC)}) {
        filter.deny("open", EACCES, {SCMP_A1(SCMP_CMP_MASKED_EQ, flag, flag)});
        filter.deny("openat", EACCES, {SCMP_A2(SCMP_CMP_MASKED_EQ, flag, flag)});
    }
    filter.deny("openat2", ENOSYS); // its flags are out of a filter's sight; glibc does not need it
    filter.denyAll("creat open_by_handle_at name_to_handle_at rename renameat renameat2 unlink unlinkat mkdir "
                   "mkdirat rmdir link linkat symlink symlinkat mknod mknodat chmod fchmod fchmodat chown fchown "
                   "lchown fchownat truncate utime utimes utimensat futimesat setxattr lsetxattr fsetxattr "
                   "removexattr lremovexattr fremovexattr",
                   EPERM);
    // Typing into the terminal the app was started from, and file attributes on the descriptor.
    for (const scmp_datum_t request : {scmp_datum_t(TIOCSTI), scmp_datum_t(TIOCLINUX), scmp_datum_t(FS_IOC_SETFLAGS),
                                       scmp_datum_t(FS_IOC_FSSETXATTR)})
        filter.deny("ioctl", EPERM, {SCMP_A1(SCMP_CMP_MASKED_EQ, 0xFFFFFFFFU, request)});
    // The kernel's larger interfaces, none of which a parser needs.
    filter.denyAll("io_uring_setup io_uring_enter io_uring_register bpf perf_event_open userfaultfd keyctl add_key "
                   "request_key mount umount2 pivot_root chroot setns unshare fsopen fsconfig fsmount fspick "
                   "move_mount open_tree mount_setattr init_module finit_module delete_module kexec_load "
                   "kexec_file_load reboot swapon swapoff acct quotactl",
                   EPERM);
    return filter.complete && seccomp_load(filter.context) == 0;
}

} // namespace

void limitResources(qint64 addressSpace)
{
#ifndef NAMORIX_ADDRESS_SANITIZER
    const rlimit space{rlim_t(addressSpace), rlim_t(addressSpace)};
    ::setrlimit(RLIMIT_AS, &space);
#else
    Q_UNUSED(addressSpace);
#endif
    const rlimit none{0, 0}, descriptors{MaxDescriptors, MaxDescriptors};
    ::setrlimit(RLIMIT_CORE, &none);
    ::setrlimit(RLIMIT_FSIZE, &none);
    ::setrlimit(RLIMIT_NOFILE, &descriptors);
}

void limitCpuFromNow(int seconds)
{
    rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    const rlim_t used = rlim_t(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec);
    const rlimit cpu{used + rlim_t(seconds), RLIM_INFINITY};
    ::setrlimit(RLIMIT_CPU, &cpu);
}

QStringList readableTrees()
{
    const QString home = QDir::homePath();
    const auto xdg = [](const char *variable, const QString &fallback) {
        const QString value = qEnvironmentVariable(variable);
        return value.startsWith(u'/') ? value : fallback;
    };
    QStringList trees{QStringLiteral("/usr"),
                      QStringLiteral("/etc/fonts"),
                      QStringLiteral("/etc/ld.so.cache"),
                      QStringLiteral("/etc/localtime"),
                      QStringLiteral("/var/cache/fontconfig"),
                      QStringLiteral("/dev/null"),
                      QStringLiteral("/dev/urandom"),
                      xdg("XDG_CACHE_HOME", home + QStringLiteral("/.cache")) + QStringLiteral("/fontconfig"),
                      xdg("XDG_CONFIG_HOME", home + QStringLiteral("/.config")) + QStringLiteral("/fontconfig"),
                      xdg("XDG_DATA_HOME", home + QStringLiteral("/.local/share")) + QStringLiteral("/fonts"),
                      home + QStringLiteral("/.fonts")};
    if (const QString languageData = qEnvironmentVariable("TESSDATA_PREFIX"); languageData.startsWith(u'/'))
        trees << languageData;
    trees << QCoreApplication::libraryPaths();
    return trees;
}

SandboxState lockIn(const QStringList &readable)
{
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    SandboxState state;
    state.landlockABI = restrictFileSystem(readable);
    state.seccomp = filterSystemCalls();
    return state;
}

} // namespace Confinement
