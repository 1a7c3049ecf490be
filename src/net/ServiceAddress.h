#pragma once

#include <QString>

namespace ServiceAddress {

// Scheme, host and port of the maker's service without a trailing slash: BRENNO_SERVICE_URL
// when set, the compiled-in address otherwise.
QString base();

} // namespace ServiceAddress
