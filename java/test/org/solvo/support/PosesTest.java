// Relative poses of the simulated device's sensors and camera poses in y-up worlds.
package org.solvo.support;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import org.junit.jupiter.api.Test;

class PosesTest {
  /** a * b for column-major 4x4 matrices. */
  private static double[] times(double[] a, double[] b) {
    double[] product = new double[16];
    for (int column = 0; column < 4; ++column) {
      for (int row = 0; row < 4; ++row) {
        double sum = 0;
        for (int k = 0; k < 4; ++k) {
          sum += a[4 * k + row] * b[4 * column + k];
        }
        product[4 * column + row] = sum;
      }
    }
    return product;
  }

  @Test
  void aSensorAtOneTimeRelativeToItselfIsTheIdentity() {
    Pose same = Poses.relativePose(1.5, Poses.FRAME_SENSOR_8, 1.5, Poses.FRAME_SENSOR_8);
    assertArrayEquals(new double[3], same.translation(), 1e-6);
    assertEquals(1.0, Math.abs(same.orientation()[3]), 1e-6);
  }

  @Test
  void relativePosesChainAcrossAThirdSensorAndTime() {
    double[] sevenToNine =
        Poses.relativePose(1.0, Poses.FRAME_SENSOR_7, 2.5, Poses.FRAME_SENSOR_9).toMatrix();
    double[] nineToEight =
        Poses.relativePose(2.5, Poses.FRAME_SENSOR_9, 4.0, Poses.FRAME_SENSOR_8).toMatrix();
    double[] sevenToEight =
        Poses.relativePose(1.0, Poses.FRAME_SENSOR_7, 4.0, Poses.FRAME_SENSOR_8).toMatrix();
    // Each answer is rounded to single precision.
    assertArrayEquals(sevenToEight, times(sevenToNine, nineToEight), 1e-5);
  }

  @Test
  void aRightHandedYUpWorldTakesTheServiceUpAxisAsY() {
    Pose camera = new Pose(new double[] {1, 2, 3}, new double[] {0, 0, 0, 1});
    Pose world = Poses.worldTCamera(Poses.CONVENTION_RIGHT_HANDED_Y_UP, camera);
    assertArrayEquals(new double[] {1, 3, -2}, world.translation(), 1e-12);
    // A quarter turn about x: the camera's axes stay as they were in the service's world.
    double s = Math.sqrt(0.5);
    double[] q = world.orientation();
    double sign = Math.signum(q[3]);
    assertArrayEquals(new double[] {-s, 0, 0, s}, scale(q, sign), 1e-12);
  }

  @Test
  void aLeftHandedYUpWorldMirrorsTheServiceYAxis() {
    Pose camera = new Pose(new double[] {1, 2, 3}, new double[] {0, 0, 0, 1});
    Pose world = Poses.worldTCamera(Poses.CONVENTION_LEFT_HANDED_Y_UP, camera);
    assertArrayEquals(new double[] {1, 3, 2}, world.translation(), 1e-12);
    assertThrows(IllegalArgumentException.class, () -> Poses.worldTCamera(2, camera));
  }

  @Test
  void theMatrixOfAQuarterTurnAboutXCarriesYToZ() {
    double s = Math.sqrt(0.5);
    double[] m = new Pose(new double[] {5, 6, 7}, new double[] {s, 0, 0, s}).toMatrix();
    // Column 1 is where the y axis goes; column 3 the translation.
    assertArrayEquals(new double[] {0, 0, 1, 0}, new double[] {m[4], m[5], m[6], m[7]}, 1e-15);
    assertArrayEquals(new double[] {5, 6, 7, 1}, new double[] {m[12], m[13], m[14], m[15]});
  }

  private static double[] scale(double[] values, double factor) {
    double[] scaled = values.clone();
    for (int i = 0; i < scaled.length; ++i) {
      scaled[i] *= factor;
    }
    return scaled;
  }
}
