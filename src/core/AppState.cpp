#include "core/AppState.h"

AppState &AppState::instance() {
    static AppState state;
    return state;
}
