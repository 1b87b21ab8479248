// Gives the precompiled GoogleTest header a target to be made in.
