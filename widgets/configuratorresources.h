#pragma once

// Registers the configurator's images and fonts (":/taviklogo.svg", ":/img/...", ...). The
// resources live in a static library, whose initialiser the linker would drop, so the program
// and the tests call this once after creating the application object.
void initConfiguratorResources();
