// Model numbers shared by the printer descriptions and the filter, so the two
// cannot drift apart.  A model number above 1 means the printer takes the
// U command at page start.
#define ZELT_MODEL_BASIC 1
#define ZELT_MODEL_PRO 2
