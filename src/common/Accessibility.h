#pragma once

// What screen readers hear beyond the widgets' own accessible names.
namespace Accessibility {

// Registers the program's accessible interfaces once per run: a drop-down
// list is named by what it is for ("Large Label Printer"), not by the entry
// it shows, which it reports as its value. Qt names drop-down lists on Linux
// by their current entry.
void install();

}  // namespace Accessibility
