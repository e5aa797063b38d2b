#include "Application/BallThrower.h"

void SpawnBall()
{
}
