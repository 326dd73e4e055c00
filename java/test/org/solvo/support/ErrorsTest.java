// How refusals, failures and misuse reach Java: exceptions, their messages, and closed objects.
package org.solvo.support;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.ByteBuffer;
import java.nio.FloatBuffer;
import org.junit.jupiter.api.Test;

class ErrorsTest {
  private static final String DEPTH =
      "SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(";

  @Test
  void aRefusedArgumentThrowsWithTheLibrarysErrorLine() {
    try (PointCloud empty = new PointCloud(4)) {
      IllegalArgumentException refused =
          assertThrows(
              IllegalArgumentException.class,
              () ->
                  Geometry.depthAtPoint(
                      empty, FloorScene.INTRINSICS, FloorScene.IDENTITY, 0.5f, 0.5f));
      assertTrue(refused.getMessage().startsWith("SolvoErrorType " + DEPTH), refused.getMessage());
      assertTrue(refused.getMessage().endsWith(" point cloud contains less than one point."));
    }
  }

  @Test
  void eachFamilyPassesItsOwnLineOn() {
    try (PointCloud two = new PointCloud(2)) {
      two.setPointCount(2);
      assertMessageEnds(
          " insufficient number of points (3 required).",
          () ->
              Geometry.planeUnderTouch(
                  two, FloorScene.INTRINSICS, FloorScene.IDENTITY, 0.5f, 0.5f));
    }
    assertMessageEnds(": base frame not supported: 4", () -> Poses.relativePose(0, 4, 0, 7));
    assertMessageEnds(
        " no tuning flag is named 'seed'.", () -> TuningFlags.set("seed", "1"));
    assertMessageEnds(
        " 'often' is not a valid value of random_generator_use_random_seed.",
        () -> TuningFlags.set(TuningFlags.RANDOM_GENERATOR_USE_RANDOM_SEED, "often"));
    assertThrows(IllegalArgumentException.class, () -> new ImageBufferManager(2, 4, 4));
  }

  @Test
  void workWithoutAnAnswerThrowsTheBindingsExceptionWithItsStatus() {
    // The simulated device answers no pose at a time that is not a number.
    SolvoSupportException failed =
        assertThrows(
            SolvoSupportException.class,
            () -> Poses.relativePose(Double.NaN, Poses.FRAME_SENSOR_7, 1, Poses.FRAME_SENSOR_9));
    assertEquals(SolvoSupportException.STATUS_FAILED, failed.status());
    assertTrue(failed.getMessage().contains("could not calculate pose data"), failed.getMessage());
  }

  @Test
  void arraysOfTheWrongLengthAreRefusedInJava() {
    try (PointCloud cloud = FloorScene.floor(0)) {
      assertThrows(
          IllegalArgumentException.class,
          () -> Geometry.depthAtPoint(cloud, FloorScene.INTRINSICS, new double[15], 0, 0));
      assertThrows(
          IllegalArgumentException.class,
          () -> Geometry.planeUnderTouch(cloud, FloorScene.INTRINSICS, new double[17], 0, 0));
    }
    assertThrows(IllegalArgumentException.class, () -> new Pose(new double[2], new double[4]));
    assertThrows(IllegalArgumentException.class, () -> new Pose(new double[3], new double[3]));
    float[] twoVertices = new float[6];
    assertThrows(IllegalArgumentException.class, () -> new Mesh(new float[4], new int[3]));
    assertThrows(IllegalArgumentException.class, () -> new Mesh(twoVertices, new int[4]));
    assertThrows(
        IllegalArgumentException.class,
        () -> new Mesh(twoVertices, new int[3], new float[3], null));
    assertThrows(
        IllegalArgumentException.class,
        () -> new Mesh(twoVertices, new int[3], null, new byte[6]));
  }

  @Test
  void countsOutsideTheirRangeAreRefused() {
    assertThrows(IllegalArgumentException.class, () -> new PointCloud(-1));
    // One more point than a direct buffer of Integer.MAX_VALUE bytes holds.
    assertThrows(
        IllegalArgumentException.class, () -> new PointCloud(Integer.MAX_VALUE / 12 + 1));
    try (PointCloud cloud = new PointCloud(3)) {
      assertThrows(IllegalArgumentException.class, () -> cloud.setPointCount(4));
      assertThrows(IllegalArgumentException.class, () -> cloud.setPointCount(-1));
      cloud.setPointCount(3);
    }
    assertThrows(IllegalArgumentException.class, () -> new PointCloudManager(0));
    assertThrows(
        IllegalArgumentException.class,
        () -> MeshSimplifier.simplify(new Mesh(new float[0], new int[0]), -1, null));
    assertThrows(IllegalArgumentException.class, () -> TuningFlags.set("random\0seed", "1"));
  }

  @Test
  void aClosedCloudRefusesUseButItsBufferStaysReadable() {
    PointCloud cloud = new PointCloud(1);
    FloatBuffer xyz = cloud.points();
    xyz.put(0, 4.5f);
    cloud.close();
    cloud.close();
    assertThrows(IllegalStateException.class, cloud::points);
    assertThrows(IllegalStateException.class, () -> cloud.setPointCount(0));
    assertThrows(
        IllegalStateException.class,
        () -> Geometry.depthAtPoint(cloud, FloorScene.INTRINSICS, FloorScene.IDENTITY, 0, 0));
    assertEquals(4.5f, xyz.get(0));
  }

  @Test
  void closedManagersRefuseEveryCall() {
    PointCloudManager clouds = new PointCloudManager(4);
    clouds.close();
    clouds.close();
    try (PointCloud cloud = new PointCloud(1)) {
      assertThrows(IllegalStateException.class, () -> clouds.update(cloud));
    }
    assertThrows(IllegalStateException.class, clouds::getLatest);

    ImageBufferManager images = new ImageBufferManager(ImageBufferManager.FORMAT_RGBA_8888, 2, 2);
    images.close();
    assertThrows(
        IllegalStateException.class, () -> images.update(ByteBuffer.allocateDirect(16), 1));
    assertThrows(IllegalStateException.class, images::getLatest);
    assertThrows(IllegalStateException.class, () -> images.setCopyRegion(false, 0, 1));
  }

  private static void assertMessageEnds(String end, Runnable call) {
    IllegalArgumentException refused = assertThrows(IllegalArgumentException.class, call::run);
    assertTrue(refused.getMessage().endsWith(end), refused.getMessage());
  }
}
