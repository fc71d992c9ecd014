#pragma once

/**
 * How every settings property is assigned: `store` writes the value at once (an unchanged one
 * too, so the file always holds what was set last), and `notify` runs only on a real change.
 * `before` is compared first, so it may refer to the field that `store` overwrites.
 */
template <typename T, typename Store, typename Notify>
void writeThrough(const T &before, const T &value, Store store, Notify notify)
{
    const bool differs = !(before == value);
    store();
    if (differs)
        notify();
}
