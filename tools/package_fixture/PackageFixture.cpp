#include "package_fixture/PackageFixture.h"
