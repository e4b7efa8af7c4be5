// Older releases of the SDK declare the credentials here; kept so callers of either form build.
#pragma once

#include "aws/core/auth/AWSCredentials.h"
