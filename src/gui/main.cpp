#include "gui/app/LogwardenApp.h"

int main(int argc, char** argv)
{
    return RunLogwarden(argc, argv);
}
