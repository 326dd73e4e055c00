// The tests' depth frame: a camera 1.5 m above a level floor, looking along it.
package org.solvo.support;

import java.nio.FloatBuffer;

/** A small scene the tests share, the one the C example builds. */
final class FloorScene {
  static final int WIDTH = 320;
  static final int HEIGHT = 240;
  static final double FOCAL = 260.0;
  static final CameraIntrinsics INTRINSICS =
      new CameraIntrinsics(WIDTH, HEIGHT, FOCAL, FOCAL, (WIDTH - 1) / 2.0, (HEIGHT - 1) / 2.0);
  static final double[] IDENTITY = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

  private FloorScene() {}

  /**
   * The floor seen from 1.5 m above it (x right, y down, z forward): one point per pixel below
   * the horizon, with up to 3 mm of noise from a fixed sequence.
   */
  static PointCloud floor(double timestamp) {
    PointCloud cloud = new PointCloud(WIDTH * HEIGHT);
    FloatBuffer xyz = cloud.points();
    int noiseState = 7;
    int count = 0;
    for (int row = HEIGHT / 2 + 2; row < HEIGHT; ++row) {
      for (int column = 0; column < WIDTH; ++column) {
        noiseState = noiseState * 1664525 + 1013904223;
        double noise = ((noiseState >>> 8) / 16777216.0 - 0.5) * 0.006;
        double z = 1.5 * FOCAL / (row - (HEIGHT - 1) / 2.0);
        xyz.put((float) (z * (column - (WIDTH - 1) / 2.0) / FOCAL));
        xyz.put((float) (1.5 + noise));
        xyz.put((float) z);
        ++count;
      }
    }
    cloud.setPointCount(count);
    cloud.setTimestamp(timestamp);
    return cloud;
  }

  /** Fixes the plane fits' random seed, so that equal clouds give equal planes. */
  static void fixSeed(int seed) {
    TuningFlags.set(TuningFlags.RANDOM_GENERATOR_USE_RANDOM_SEED, "false");
    TuningFlags.set(TuningFlags.RANDOM_GENERATOR_SEED, Integer.toString(seed));
  }

  static void restoreSeed() {
    TuningFlags.set(TuningFlags.RANDOM_GENERATOR_USE_RANDOM_SEED, "true");
    TuningFlags.set(TuningFlags.RANDOM_GENERATOR_SEED, "1");
  }
}
