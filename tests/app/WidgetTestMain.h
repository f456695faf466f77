#pragma once

// What the widget tests' main does differently on each system, before the application object is made and
// after the tests have run.
void prepareWidgetTests();
int endWidgetTests(int result);
