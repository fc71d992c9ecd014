#pragma once

#include "engine/renamejob.h"
#include "store/learnedsender.h"

#include <optional>

class RenameRules;

/**
 * What an applied rename teaches about its sender: the fields that named the file, after the
 * user's edits. A sender, category or description the user retyped in the name is taken as they
 * typed it (the separators read as spaces); one left as suggested keeps the suggestion's spelling.
 * Nothing to learn without a sender or without anything that recognises it again.
 */
namespace SenderLesson {

[[nodiscard]] std::optional<LearnedSender> from(const RenameJob &job, const RenameRules &rules);

} // namespace SenderLesson
