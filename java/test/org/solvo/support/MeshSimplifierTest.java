// Simplification through the binding: the target, progress, cancellation, a throwing listener.
package org.solvo.support;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.CancellationException;
import org.junit.jupiter.api.Test;

class MeshSimplifierTest {
  private static final int GRID = 30;

  /** A wavy sheet of GRID x GRID vertices, two triangles per cell. */
  private static Mesh sheet(boolean withNormalsAndColors) {
    float[] vertices = new float[3 * GRID * GRID];
    float[] normals = new float[vertices.length];
    byte[] colors = new byte[4 * GRID * GRID];
    for (int y = 0; y < GRID; ++y) {
      for (int x = 0; x < GRID; ++x) {
        int v = y * GRID + x;
        vertices[3 * v] = x * 0.01f;
        vertices[3 * v + 1] = y * 0.01f;
        vertices[3 * v + 2] = (float) (0.05 * Math.sin(x * 0.2) * Math.cos(y * 0.15));
        normals[3 * v + 2] = 1f;
        colors[4 * v] = (byte) x;
        colors[4 * v + 3] = (byte) 255;
      }
    }
    int[] faces = new int[6 * (GRID - 1) * (GRID - 1)];
    int f = 0;
    for (int y = 0; y + 1 < GRID; ++y) {
      for (int x = 0; x + 1 < GRID; ++x) {
        int v = y * GRID + x;
        int[] two = {v, v + 1, v + GRID + 1, v, v + GRID + 1, v + GRID};
        System.arraycopy(two, 0, faces, f, 6);
        f += 6;
      }
    }
    return withNormalsAndColors ? new Mesh(vertices, faces, normals, colors) : new Mesh(vertices, faces);
  }

  @Test
  void simplifiesToTheTargetWhileProgressRisesFromZeroToOne() {
    List<Double> fractions = new ArrayList<>();
    Mesh small =
        MeshSimplifier.simplify(
            sheet(false),
            200,
            fraction -> {
              fractions.add(fraction);
              return true;
            });
    assertTrue(small.faceCount() <= 200 && small.faceCount() > 100, "" + small.faceCount());
    assertEquals(0.0, fractions.get(0));
    assertEquals(1.0, fractions.get(fractions.size() - 1));
    for (int i = 1; i < fractions.size(); ++i) {
      assertTrue(fractions.get(i) >= fractions.get(i - 1), fractions.toString());
    }
    for (int index : small.faces()) {
      assertTrue(index >= 0 && index < small.vertexCount());
    }
  }

  @Test
  void normalsAndColorsStayPerSurvivingVertex() {
    Mesh small = MeshSimplifier.simplify(sheet(true), 100, null);
    assertEquals(3 * small.vertexCount(), small.normals().length);
    assertEquals(4 * small.vertexCount(), small.colors().length);
    assertEquals((byte) 255, small.colors()[3]);
  }

  @Test
  void aTargetAtTheFaceCountGivesTheSameMesh() {
    Mesh mesh = sheet(false);
    Mesh copy = MeshSimplifier.simplify(mesh, mesh.faceCount(), null);
    assertArrayEquals(mesh.vertices(), copy.vertices());
    assertArrayEquals(mesh.faces(), copy.faces());
  }

  @Test
  void aListenerThatAnswersFalseCancelsAndIsNotAskedAgain() {
    List<Double> fractions = new ArrayList<>();
    assertThrows(
        CancellationException.class,
        () ->
            MeshSimplifier.simplify(
                sheet(false),
                10,
                fraction -> {
                  fractions.add(fraction);
                  return fraction < 0.5;
                }));
    assertTrue(fractions.get(fractions.size() - 1) >= 0.5);
    assertTrue(fractions.get(fractions.size() - 2) < 0.5);
  }

  @Test
  void aListenersExceptionCancelsAndReachesTheCaller() {
    IllegalStateException thrown = new IllegalStateException("stop here");
    List<Double> fractions = new ArrayList<>();
    IllegalStateException caught =
        assertThrows(
            IllegalStateException.class,
            () ->
                MeshSimplifier.simplify(
                    sheet(false),
                    10,
                    fraction -> {
                      fractions.add(fraction);
                      if (fraction > 0.2) {
                        throw thrown;
                      }
                      return true;
                    }));
    assertSame(thrown, caught);
    assertTrue(fractions.get(fractions.size() - 1) > 0.2);
    assertTrue(fractions.get(fractions.size() - 2) <= 0.2);
    // The next simplification runs as usual.
    assertTrue(MeshSimplifier.simplify(sheet(false), 10, null).faceCount() <= 10);
  }
}
