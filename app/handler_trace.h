// Test hook on the window's event handlers.
#pragma once

#include <functional>
#include <string_view>

class TForm1;

namespace spelkub::detail {

// Called with the window and the handler's name ("RadioGroup1Click",
// "Edit5Click", ...) each time an event of any window runs a handler.
using HandlerTrace = std::function<void(const TForm1& window, std::string_view handler)>;

// Installs `trace`; an empty one removes it.
void SetHandlerTrace(HandlerTrace trace);

}  // namespace spelkub::detail
