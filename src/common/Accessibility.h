#pragma once

// What screen readers hear beyond the widgets' own accessible names.
namespace Accessibility {

// Registers the program's accessible interfaces once per run:
// - a drop-down list is named by what it is for ("Large Label Printer"), not
//   by the entry it shows (Qt names drop-down lists on Linux by their
//   current entry); the entry is its value, its text and the selected line
//   of its list;
// - a LinkLabel is a link;
// - each day of a month calendar is named by its full date ("8 December
//   2026"), each day name in full ("Monday").
void install();

}  // namespace Accessibility
