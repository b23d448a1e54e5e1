// A package whose required packages include one that no host provides.
#include "package/packageinfo.h"

namespace {
const char *const required[] = {"_rtl", "_vcl", "_xyz"};
const char *const contained[] = {"Pkg_NeedsMissing"};
const HostPackageInfo info = {PackageFlagPackageModule | PackageFlagRunOnly, required, 3, contained,
                              1};
int initializeCalls = 0;
} // namespace

extern "C" {
const HostPackageInfo *GetPackageInfo()
{
    return &info;
}
void Initialize()
{
    ++initializeCalls;
}
void Finalize() {}
int InitializeCalls()
{
    return initializeCalls;
}
}
