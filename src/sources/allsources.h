#pragma once

#include "jetbrainsprojectsource.h"
#include "vscodeprojectsource.h"
#include "zedprojectsource.h"

#include <memory>
#include <vector>

// A source as it is, unwrapped.
template<class Source>
using AsItIs = Source;

// Every family of IDEs the service offers, in the order searches read them,
// each made as Make<Source>: a caller may wrap them all, as the fuzz target
// that only records what it would open does.
template<template<class> class Make = AsItIs>
std::vector<std::unique_ptr<ProjectSource>> allSources()
{
    std::vector<std::unique_ptr<ProjectSource>> sources;
    sources.push_back(std::make_unique<Make<VscodeProjectSource>>());
    sources.push_back(std::make_unique<Make<JetbrainsProjectSource>>());
    sources.push_back(std::make_unique<Make<ZedProjectSource>>());
    return sources;
}
