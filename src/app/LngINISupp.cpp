#include "app/LngINISupp.h"
