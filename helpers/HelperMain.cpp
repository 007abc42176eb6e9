// The helper program behind Velmora.SFAddrUtil.exe and its three siblings.
#include "HelperSession.h"

int main(int argc, char** argv) {
    return RunHelperProgram(argc, argv);
}
