// Conversion failures of values and texts, with the platform's own messages.
// Thread contract: plain exception types; see Exception.h.
#pragma once

#include "platform/Exception.h"

namespace platform {

// A text that does not read as the requested value ("'x' is not a valid floating point value").
class EConvertError : public Exception {
    using Exception::Exception;
};

// A variant that cannot become the requested type ("Could not convert variant of type (Null)
// into type (Boolean)").
class EVariantError : public Exception {
    using Exception::Exception;
};

}  // namespace platform
