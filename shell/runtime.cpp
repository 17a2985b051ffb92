// What the compiler may call that the missing C runtime would provide.
