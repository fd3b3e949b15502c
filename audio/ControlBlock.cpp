#include "audio/ControlBlock.h"

void ControlBlock::clearBatch() {
    step = false;
    irq = false;
    reset = false;
    enter = false;
    load = false;
    cursorDx = 0;
    cursorDy = 0;
    switchPanel = false;
    hexDigit = -1;
    adjust = 0;
    speedDelta = 0;
    switchInstructionSet = false;
    stepOver = false;
    stepOut = false;
    back = 0;
    commandCount = 0;
    hasLine = false;
}
