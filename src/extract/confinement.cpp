#include "confinement.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <linux/landlock.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <ucontext.h>
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

// Names of the system calls, looked up before the lock so that the trap handler needs no memory.
constexpr int KnownCalls = 512;
std::array<const char *, KnownCalls> g_callNames = {};

// Tracing: a refused call is named on stderr, then fails with EPERM as it would untraced.
void onRefusedCall(int, siginfo_t *info, void *context)
{
    const int call = info->si_syscall;
    const char *name = call >= 0 && call < KnownCalls && g_callNames[size_t(call)] ? g_callNames[size_t(call)] : "?";
    char line[128];
    const int length = std::snprintf(line, sizeof line, "namorix-extract: system call refused: %s (%d)\n", name, call);
    if (length > 0)
        (void)!::write(STDERR_FILENO, line, size_t(std::min(length, int(sizeof line) - 1)));
#if defined(__x86_64__)
    static_cast<ucontext_t *>(context)->uc_mcontext.gregs[REG_RAX] = -EPERM;
#elif defined(__aarch64__)
    static_cast<ucontext_t *>(context)->uc_mcontext.regs[0] = __u64(-EPERM);
#else
    Q_UNUSED(context);
#endif
}

// Debug builds, and the tests, trap what is refused, so that a call a library newly needs is found at once.
bool tracesRefusedCalls()
{
#ifndef NDEBUG
    return true;
#else
    return qEnvironmentVariableIntValue("NAMORIX_SECCOMP_TRACE") != 0;
#endif
}

// Calls that reach other processes; no group may allow them but with the argument filter written here.
constexpr std::array Refused{"ptrace",
                             "process_vm_readv",
                             "process_vm_writev",
                             "prlimit64",
                             "setpriority",
                             "sched_setaffinity",
                             "kill",
                             "tgkill",
                             "tkill",
                             "rt_sigqueueinfo",
                             "rt_tgsigqueueinfo",
                             "pidfd_open",
                             "pidfd_getfd",
                             "pidfd_send_signal",
                             "kcmp",
                             "get_robust_list"};

struct Filter {
    scmp_filter_ctx context;
    bool complete;

    explicit Filter(uint32_t refuse)
        : context(seccomp_init(refuse))
        , complete(context != nullptr)
    {
    }
    ~Filter() { seccomp_release(context); }

    void add(uint32_t action, const char *name, std::initializer_list<scmp_arg_cmp> conditions)
    {
        const int call = seccomp_syscall_resolve_name(name);
        if (call == __NR_SCMP_ERROR)
            return; // not a system call of this architecture
        if (seccomp_rule_add_array(context, action, call, unsigned(conditions.size()),
                                   conditions.size() ? conditions.begin() : nullptr) != 0)
            complete = false;
    }

    /** `name` with `conditions` on its arguments; one of `Refused` only with conditions. */
    void allow(const char *name, std::initializer_list<scmp_arg_cmp> conditions)
    {
        const bool refused = std::ranges::any_of(Refused, [&](const char *other) { return qstrcmp(name, other) == 0; });
        Q_ASSERT(!refused || conditions.size() != 0);
        if (!refused || conditions.size() != 0)
            add(SCMP_ACT_ALLOW, name, conditions);
    }

    /** `names`: system calls separated by spaces, allowed whatever their arguments. */
    void allowAll(const char *names)
    {
        for (const QByteArray &name : QByteArray(names).split(' '))
            allow(name.constData(), {});
    }
};

// Only what extraction needs is allowed, by purpose; anything else (and every call a future
// kernel adds) fails with an error, not a kill, so that a library that merely tries goes on.
bool filterSystemCalls()
{
    const bool tracing = tracesRefusedCalls();
    if (tracing) {
        for (int call = 0; call < KnownCalls; ++call)
            g_callNames[size_t(call)] = seccomp_syscall_resolve_num_arch(SCMP_ARCH_NATIVE, call);
        struct sigaction trap = {};
        trap.sa_sigaction = &onRefusedCall;
        trap.sa_flags = SA_SIGINFO;
        ::sigaction(SIGSYS, &trap, nullptr);
    }
    Filter filter(tracing ? SCMP_ACT_TRAP : SCMP_ACT_ERRNO(EPERM));
    if (!filter.complete)
        return false;
    // A thread started by a library before the lock gets the filter too.
    seccomp_attr_set(filter.context, SCMP_FLTATR_CTL_TSYNC, 1);
    const scmp_datum_t self = scmp_datum_t(::getpid());

    // Memory.
    filter.allowAll("brk mmap munmap mremap mprotect madvise");

    // Reading the passed descriptor, and what Landlock lets it read (libraries, fonts, charset
    // modules and language data loaded lazily). Opening only for reading.
    constexpr scmp_datum_t Writing = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND;
    filter.allow("openat", {SCMP_A2(SCMP_CMP_MASKED_EQ, Writing, 0)});
    filter.allow("open", {SCMP_A1(SCMP_CMP_MASKED_EQ, Writing, 0)});
    filter.add(SCMP_ACT_ERRNO(ENOSYS), "openat2", {}); // its flags are out of a filter's sight; glibc falls back
    filter.allowAll("read readv pread64 preadv preadv2 lseek close close_range dup dup2 dup3 fstat newfstatat stat "
                    "lstat statx fstatfs statfs access faccessat faccessat2 readlink readlinkat getdents64 getcwd");
    for (const scmp_datum_t command : {F_GETFD, F_SETFD, F_GETFL, F_SETFL, F_DUPFD, F_DUPFD_CLOEXEC})
        filter.allow("fcntl", {SCMP_A1(SCMP_CMP_EQ, command)});
    for (const scmp_datum_t request : {TCGETS, FIONREAD}) // isatty() on the standard streams
        filter.allow("ioctl", {SCMP_A1(SCMP_CMP_MASKED_EQ, 0xFFFFFFFFU, request)});

    // The socket to the app (and the standard error stream, forwarded to the app's).
    filter.allowAll("recvmsg recvfrom sendmsg sendto write writev poll ppoll");

    // Time, and the CPU limit set again for each file (on itself only).
    filter.allowAll("clock_gettime clock_getres clock_nanosleep nanosleep gettimeofday time getrusage times "
                    "getrlimit setrlimit");
    filter.allow("prlimit64", {SCMP_A0(SCMP_CMP_EQ, 0)});

    // Threads of its own pool (Tesseract's, the media decoders'). glibc falls back from clone3,
    // whose flags a filter cannot see, to clone.
    constexpr scmp_datum_t Thread = CLONE_VM | CLONE_SIGHAND | CLONE_THREAD;
    filter.allow("clone", {SCMP_A0(SCMP_CMP_MASKED_EQ, Thread, Thread)});
    filter.add(SCMP_ACT_ERRNO(ENOSYS), "clone3", {});
    filter.allowAll("futex set_robust_list rseq set_tid_address sched_yield eventfd2 getpid gettid getppid getuid "
                    "geteuid getgid getegid uname sysinfo getrandom membarrier");
    for (const scmp_datum_t process : {scmp_datum_t(0), self})
        filter.allow("sched_getaffinity", {SCMP_A0(SCMP_CMP_EQ, process)});
    for (const scmp_datum_t option : {PR_SET_NAME, PR_GET_NAME})
        filter.allow("prctl", {SCMP_A0(SCMP_CMP_EQ, option)});

    // Signals to itself (abort() raises one).
    filter.allowAll("rt_sigaction rt_sigprocmask rt_sigreturn sigaltstack restart_syscall");
    filter.allow("kill", {SCMP_A0(SCMP_CMP_EQ, self)});
    filter.allow("tgkill", {SCMP_A0(SCMP_CMP_EQ, self)});

    // Exit.
    filter.allowAll("exit exit_group");

#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers test whether memory is readable by writing it into a pipe (the vptr check
    // too): refused, every virtual call reported an invalid object.
    filter.allowAll("pipe2 pipe");
#endif

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
