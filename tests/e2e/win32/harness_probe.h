// Resource ids of the harness probe's settings dialog.
#pragma once

#define ProbeDialog 200
#define ProbeTimeCheck 104
#define ProbeColorList 107
#define ProbeSpeedSlider 108
#define ProbeLinkButton 111
