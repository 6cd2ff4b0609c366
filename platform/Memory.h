#pragma once

// Gives the heap's free pages back to the system. Start-up reads and draws
// far more than the calendar keeps, and the allocator would otherwise hold
// on to the difference for as long as the calendar runs.
void releaseFreedMemory();
