#pragma once
#include "speech/Analysis.h"

#include <cstdio>

// The figures of one analysis, as readable lines or as one JSON object.
void PrintPlain(std::FILE* out, const sonavix::speech::Analysis& a);
void PrintJson(std::FILE* out, const sonavix::speech::Analysis& a);
