#include "engine/Users.h"

namespace engine {

const char* UsersName(Users users) {
    switch (users) {
        case Users::Current: return "current";
        case Users::Default: return "default";
        case Users::Both: return "both";
    }
    return "";
}

}  // namespace engine
