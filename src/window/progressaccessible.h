#pragma once

// Lets screen readers and UI automation read the progress bar's position,
// which a plain widget would not expose. Safe to call more than once.
void installProgressBarAccessibility();
