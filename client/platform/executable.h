// Where the running program lives: the install folder that every data path
// of the client is formed from. Any thread.
#pragma once

#include <filesystem>

namespace tavrin::platform {

// The running executable's full path; empty if the system will not say.
std::filesystem::path executable_path();
// Its folder.
std::filesystem::path executable_folder();

}  // namespace tavrin::platform

namespace tavrin::platform {

// The user's home folder: $HOME, else the account's entry in the password
// database; empty when neither says.
std::filesystem::path home_folder();

}  // namespace tavrin::platform
