#pragma once

// Start-up of the DATA view's engine. The application calls initialize()
// once before it makes its first window, as Qt registers its own factories
// at start-up: it installs the view's accessibility adaptor, through which
// assistive technology reads and edits every DataView. Calling it again
// does nothing.
namespace DataViewEngine {

void initialize();

}  // namespace DataViewEngine
