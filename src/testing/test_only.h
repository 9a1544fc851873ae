// Included by every header of the test support: the product's own libraries
// are built with VANTREL_PRODUCT, and a test-support header there is a fault.
#pragma once

#ifdef VANTREL_PRODUCT
#error "test support (src/testing) is not part of the product"
#endif
