#pragma once

#include <QString>

/** How far the extraction helpers lock themselves in. */
struct SandboxState {
    int landlockABI = 0;  ///< the Landlock version in force; 0: none (kernel before 5.13, or switched off)
    bool seccomp = false; ///< the system-call filter is in force

    /** Both locks hold; otherwise the helpers run with their limits alone ("eingeschränkt"). */
    [[nodiscard]] bool isComplete() const { return landlockABI >= 1 && seccomp; }
    /** What is missing, in German ("kein Landlock, kein seccomp"); empty when complete. */
    [[nodiscard]] QString missing() const;

    /** What the kernel offers a process started now. */
    [[nodiscard]] static SandboxState probe();

    bool operator==(const SandboxState &) const = default;
};
