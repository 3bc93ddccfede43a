#include "app/launch.h"

int main(int argc, char* argv[])
{
    return garrison::launch(argc, argv);
}
