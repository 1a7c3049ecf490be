#include "app/AppState.h"

AppState &AppState::instance() {
    static AppState state;
    return state;
}
