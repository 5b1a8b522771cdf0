// The names of the identification page's country list.
#pragma once

#include <vector>

#include "platform/CString.h"

// The 235 countries, then "Other (please specify)" and "...".
const std::vector<CString>& CountryNames();
