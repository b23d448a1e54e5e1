#pragma once

// The binary contract between the host's package loader and a screen package. A package exports
// these C functions; the loader resolves them by name.
extern "C" {

// Package flags.
enum : unsigned {
    PackageFlagNeverBuild = 0x1,
    PackageFlagRunOnly = 0x4,
    PackageFlagPackageModule = 0x4C000000,
};

struct HostPackageInfo
{
    unsigned flags;
    const char *const *requiredPackages; // required packages, in order
    int requiredCount;
    const char *const *containedUnits; // contained units, in order
    int containedCount;
};

// One entry of a package's unit initialisation table.
struct HostUnitEntry
{
    const char *name;
    void (*initialization)();
    void (*finalization)();
};

struct HostInitTable
{
    int count;
    const HostUnitEntry *units;
};

using GetPackageInfoFunction = const HostPackageInfo *(*)();
using GetPackageInfoTableFunction = const HostInitTable *(*)();
using PackageProcedure = void (*)();
}
