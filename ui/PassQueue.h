#pragma once
// Only one extraction pass runs at a time (there is one progress dialog and
// one cancel flag); passes asked for meanwhile wait here and start, in the
// order asked, once the running one has ended.

class TRTFchild;

class PassQueue {
public:
  // Makes `window`'s pass the running one; false when another one runs,
  // and then the pass waits its turn.
  static bool StartOrWait(TRTFchild* window, bool askOutput);
  // The running pass has ended, however it ended: the next one that waits
  // starts from the event loop, never inside the stack of this one.
  static void Finish();
  static bool IsRunning(const TRTFchild* window);
  static bool IsWaiting(const TRTFchild* window);
  static bool AnyRunning();
  // `window` no longer waits (it is closing).
  static void Leave(const TRTFchild* window);
};
