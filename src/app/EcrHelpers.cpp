#include "app/EcrHelpers.h"

bool ConnectAndReadEcrInfo()
{
    return false;
}
