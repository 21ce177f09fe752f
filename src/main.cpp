#include "app/gui/application.h"

int main(int argc, char* argv[]) {
    return krtp::RunApplication(argc, argv);
}
