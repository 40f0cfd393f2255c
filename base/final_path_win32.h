#pragma once
// The path GetFinalPathNameByHandle gives (its "\\?\" forms) as a path the
// rest of the module opens: "\\?\C:\a" is "C:\a", "\\?\UNC\srv\share\f"
// (a file on a network share) is "\\srv\share\f".
#include <optional>
#include <string>
#include <string_view>

/// The drive or network path of a final path; none for a form that has
/// neither (a volume named by its GUID, a device), which is not followed.
std::optional<std::string> OpenablePathOfFinalPath(std::string_view finalPath);
