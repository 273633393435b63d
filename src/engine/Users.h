#pragma once
// Whose HKEY_CURRENT_USER a run writes: the current user's, the default profile's (which new users
// are made from), or both.

namespace engine {

enum class Users { Current, Default, Both };

// "current", "default", "both": the words of --user and of a journal's head.
const char* UsersName(Users users);

}  // namespace engine
