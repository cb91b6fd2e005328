// Scan-bracket pairing: the objects the last bracket handed out, so the
// driver's DeleteObject32 calls are written as the delete lines that name
// them.
#include "capture/writer.h"

// The objects the last scan bracket handed out, to name them when the driver
// gives them back, and which of its three releases were made.
static ObjectSlots handedOut;
static int released[3] = {1, 1, 1}; // nothing is held before the first bracket

void CaptureHandedOut(const ObjectSlots *slots)
{
    handedOut = *slots;
    released[0] = released[1] = released[2] = 0;
    Put("; handed out: pen ");
    PutHex(slots->pen);
    Put(" oldPen ");
    PutHex(slots->oldPen);
    Put(" brush ");
    PutHex(slots->brush);
    Put(" oldBrush ");
    PutHex(slots->oldBrush);
    Put(" pattern ");
    PutHex(slots->patternBitmap);
    PutChar('\n');
}

// The pairs a driver gives back, as the job's delete lines name them.
void CaptureDelete(Handle32 object, Handle32 selectBack)
{
    // The pairs in the order a driver gives them back; an empty pair (a
    // bracket without a brush) is released with its zeros, as handed out.
    const Handle32 pairs[3][2] = {
        {handedOut.pen, handedOut.oldPen}, {handedOut.brush, handedOut.oldBrush}, {handedOut.patternBitmap, 0}};
    const grammar::Release names[3] = {grammar::RELEASE_PEN, grammar::RELEASE_BRUSH, grammar::RELEASE_PATTERN};
    grammar::Release release = grammar::RELEASE_SCAN; // stands for no pair found
    for (int i = 0; i < 3 && release == grammar::RELEASE_SCAN; ++i) {
        if (!released[i] && pairs[i][0] == object && pairs[i][1] == selectBack) {
            released[i] = 1;
            release = names[i];
        }
    }
    if (release == grammar::RELEASE_SCAN) {
        // the format names only what a bracket handed out; the call stays on record
        Put("; DeleteObject32 object ");
        PutHex(object);
        Put(" selectBack ");
        PutHex(selectBack);
        Put(", not a pair a scan bracket handed out:");
        return;
    }
    PutKeyword(grammar::KEYWORD_DELETE);
    PutChar(' ');
    Put(grammar::ConstantName(grammar::SET_RELEASES, release));
}
