#pragma once

namespace store {
class DataControl;
}

namespace widgets {

// A data control tells the operator of its own failures: the engine's text
// in a message box, as soon as it happens; and asks which version to keep
// when another desk saved the row first.
void reportDataErrors(store::DataControl *data);

} // namespace widgets
