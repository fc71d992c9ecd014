#pragma once

#include <QList>

class QAction;

/**
 * Alt-key mnemonics for menus whose texts come from the string table without them: each action
 * gets the first letter of a word (else any letter) not yet taken in its menu, so no two clash.
 * Kept out of the string table because the same texts serve as window titles and button labels.
 */
namespace Mnemonics {

/** Assigns mnemonics to `actions` (one menu or menu bar) and, recursively, to their submenus. */
void assign(const QList<QAction *> &actions);

} // namespace Mnemonics
