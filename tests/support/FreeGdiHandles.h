#pragma once
// How many more GDI objects the handle table takes now; they are freed again
// at once. Two readings around a loop show what the loop kept.
int FreeGdiHandles();
