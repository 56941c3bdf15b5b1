// Whether the system would give this process some blocks of memory now.
//
// Scintilla lets std::bad_alloc out of its calls and is not sure to leave its
// document whole when it does, so a change that needs much memory at once
// asks for it first and goes in only when it would get it. Each block is
// asked for and given back without being touched: the system only promises
// the memory then, which costs next to nothing however big the block is,
// and refuses where the change would have been refused (an address-space
// limit, strict overcommit, a block larger than memory and swap together).
#pragma once

#include <QString>
#include <QtGlobal>

#include <initializer_list>

namespace kelo {

// True when all the blocks, in bytes, can be had at the same time. A
// negative size, as an overflowed sum gives, cannot.
bool memoryRoomFor(std::initializer_list<qsizetype> blocks);

// What the user is told when a new text does not fit.
QString noRoomForNewText();

} // namespace kelo
