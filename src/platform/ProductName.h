#pragma once
// The product's name: the title of its windows and message boxes.

inline constexpr const char* kProductName = "Orvik Optimizer";
