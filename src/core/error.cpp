#include "core/error.h"

#include <new>
#include <stdexcept>

#include "core/utf.h"

namespace vantrel {

Error CurrentFailure() {
    try {
        throw;
    } catch (const Error& failure) {
        return failure;
    } catch (const std::bad_alloc&) {
        return Error(kOutOfMemoryKind, kOutOfMemoryMessage);
    } catch (const std::length_error&) {
        return Error(kOutOfMemoryKind, kOutOfMemoryMessage);
    } catch (const std::exception& other) {
        return Error(u"Exception", Utf8ToUtf16(other.what()));
    } catch (...) {
        return Error(u"Exception", u"Unknown failure");
    }
}

}  // namespace vantrel
