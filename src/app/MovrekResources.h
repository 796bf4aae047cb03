// Resource numbers (resources/movrek.rc) of the program's own pictures (the bar's bitmaps 203-206 are in bar.rc).
#pragma once
#define IDI_MOVREK 1
#define IDI_GEAR 2
