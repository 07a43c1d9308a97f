#pragma once

// Shared by the manual entry tests: table rows that print as their names in failure
// messages.

#include "support/qt_printers.h"

#include <QString>

#include <ostream>

namespace tavomi {

// In the tests' own unnamed namespace, where their case structs live: GoogleTest
// finds PrintTo only by argument-dependent lookup.
namespace {

template <typename Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

}  // namespace

}  // namespace tavomi
