// The anchor of the tests' precompiled header: a program only so that it is built like them.
#include <gtest/gtest.h>
