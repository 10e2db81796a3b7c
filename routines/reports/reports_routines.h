// The database reports and attachment upkeep behind the main window's buttons. Each runs on the main
// window's settings, components and front end, and is described in its own source file.
#pragma once

namespace talvor {

class TForm1;

// Common post-convert group

// Further routines (first set)

// Further routines (second set)

}  // namespace talvor
