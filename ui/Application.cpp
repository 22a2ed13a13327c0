#include "ui/Application.h"

TApplication& Application() {
    static TApplication application;
    return application;
}
