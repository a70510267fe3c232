#pragma once

#include <string>

/// The name of the user this process runs as, as the system gives it;
/// empty when it gives none.
std::string UserName();
