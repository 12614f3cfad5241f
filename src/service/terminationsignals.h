#pragma once

// Makes SIGTERM and SIGINT leave the application's event loop, so that the
// service ends as after any other quit: objects destroyed in order and exit
// code 0. Call once, after the application object exists.
bool quitOnTerminationSignals();
