#include "app/VarnelApp.h"

int main(int argc, char** argv) {
    varnel::CVarnelApp theApp;
    return theApp.Run(argc, argv);
}
