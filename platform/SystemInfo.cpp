#include "platform/SystemInfo.h"

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <system_error>
#include <vector>

namespace duzplatform {

bool GetComputerName(std::string* name)
{
    if (name == nullptr)
        return false;
#ifdef HOST_NAME_MAX
    std::vector<char> buffer(HOST_NAME_MAX + 2, '\0');
#else
    std::vector<char> buffer(258, '\0');
#endif
    if (gethostname(buffer.data(), buffer.size() - 1) != 0)
        return false;
    buffer.back() = '\0';   // a truncated name is not guaranteed to be terminated
    *name = buffer.data();
    return !name->empty();
}

std::string GetTemporaryFolder()
{
    std::error_code error;
    std::string folder = std::filesystem::temp_directory_path(error).string();
    if (error || folder.empty())
        folder = "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

std::string GetCurrentFolder()
{
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (error)
        return std::string();
    return current.string();
}

} // namespace duzplatform
